// Temporary files that a signal ending the process must not leave behind. outputFile notes
// the temporary file it writes while it exists; a program that wants such files removed when
// SIGINT, SIGTERM or SIGHUP ends it calls removeTemporariesOnSignals once, or, at its start,
// guardOutputFiles, which every program of the project calls.
#pragma once

#include <csignal>
#include <string>

namespace mac2mod {

void removeTemporariesOnSignals();

// A program's start: a file-size limit ends a write as a failed write (its signal ignored),
// reported as "cannot write" for the file asked for, and a signal that ends the run removes
// the temporaries first. Either way an earlier output file stays as it was.
void guardOutputFiles();

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

// Holds back SIGINT, SIGTERM and SIGHUP on this thread while it lives, so that a temporary
// file is made and noted with no signal between the two: one that came then would end the
// process with the file made and not yet noted for removal.
class signalsHeld {
public:
    signalsHeld();
    ~signalsHeld();
    signalsHeld(const signalsHeld &) = delete;
    signalsHeld &operator=(const signalsHeld &) = delete;

private:
    sigset_t saved_;
};

}  // namespace mac2mod
