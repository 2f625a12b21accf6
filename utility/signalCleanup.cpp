#include "utility/signalCleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace mac2mod {

namespace {

// The handler may only read what is complete: a slot's name is written before the slot is
// marked noted, and the mark is taken away before the slot is given up.
constexpr int SLOTS = 8;
constexpr size_t NAME_MAX_BYTES = 4096;
enum : int { freeSlot, claimed, noted };
struct slot {
    std::atomic<int> state{freeSlot};
    char name[NAME_MAX_BYTES];
};
slot slots[SLOTS];

extern "C" void removeAndEnd(int signal)
{
    for (slot &s : slots)
        if (s.state.load() == noted)
            unlink(s.name);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void removeTemporariesOnSignals()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, removeAndEnd);
}

void guardOutputFiles()
{
    std::signal(SIGXFSZ, SIG_IGN);
    removeTemporariesOnSignals();
}

temporaryNote::temporaryNote(const std::string &path) : slot_(-1)
{
    if (path.size() >= NAME_MAX_BYTES)
        return;
    for (int k = 0; k < SLOTS; k++) {
        int expected = freeSlot;
        if (slots[k].state.compare_exchange_strong(expected, claimed)) {
            std::memcpy(slots[k].name, path.c_str(), path.size() + 1);
            slots[k].state.store(noted);
            slot_ = k;
            return;
        }
    }
}

temporaryNote::~temporaryNote()
{
    if (slot_ >= 0)
        slots[slot_].state.store(freeSlot);
}

signalsHeld::signalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

signalsHeld::~signalsHeld()
{
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);   // a signal held back is taken now
}

}  // namespace mac2mod
