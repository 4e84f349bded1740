#pragma once
#include "export/B.h"
