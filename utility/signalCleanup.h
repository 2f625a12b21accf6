// Temporary files that a signal ending the process must not leave behind. outputFile notes
// the temporary file it writes while it exists; a program that wants such files removed when
// SIGINT, SIGTERM or SIGHUP ends it calls removeTemporariesOnSignals once (the converter does).
#pragma once

#include <string>

namespace mac2mod {

void removeTemporariesOnSignals();

// Notes path for the life of the object. At most a few files are noted at once; a file
// beyond them goes unnoted.
class temporaryNote {
public:
    explicit temporaryNote(const std::string &path);
    ~temporaryNote();
    temporaryNote(const temporaryNote &) = delete;
    temporaryNote &operator=(const temporaryNote &) = delete;

private:
    int slot_;
};

}  // namespace mac2mod
