// The model file's name: the input path with its last extension replaced by "mod"
// (set.MAC -> set.mod, a.b.mac -> a.b.mod; a path without '.' gets ".mod" appended).
#pragma once

#include <string>

void makeModelFileName(std::string &path);
