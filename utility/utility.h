// The utility library: errors, files, array and list files, numbers and vectors,
// contour matching, strings. Each topic has its own header; this one gathers them.
#pragma once

#include "utility/fileUtil.h"
#include "utility/arrayFile.h"
#include "utility/numeric.h"
#include "utility/contour.h"
#include "utility/stringList.h"
