#pragma once
// Writing a result tree out: as indented text (two blanks per level, pre-order) or as
// JSON ({"text", "image", "expanded", "children"} per line).

#include "analysis/CResultTree.h"

#include <cstdio>

// Both return false when the stream reported a write error.
bool WriteTreeText(const CResultTree& tree, std::FILE* out);
bool WriteTreeJson(const CResultTree& tree, std::FILE* out);
