#pragma once
// The tool bar's pictures, drawn in code so they scale and need no files.

#include <QIcon>

QIcon ToolIcon(int bitmap);
