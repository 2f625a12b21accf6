#include "driver/modelFileName.h"

void makeModelFileName(std::string &path)
{
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos)
        path += ".mod";
    else
        path.replace(dot + 1, std::string::npos, "mod");
}
