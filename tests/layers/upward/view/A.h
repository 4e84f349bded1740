#pragma once
#include "app/B.h"
