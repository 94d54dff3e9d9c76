#pragma once
// The places where the entry routine calls into other parts of the program.
// Each function is called at one fixed step of the start-up; the sequence
// around it does not depend on what it does. Until the named part is linked
// in, a function does nothing (said at each definition in run_plugins.cpp).
#include <thread>

namespace norvane::plugins {

// Normal start, before the application object is made: derives the key of
// the knowledge database beside the program on a worker thread, while the
// application object and the main window are made; the main window's open
// then finds the key ready (or waits only for the rest of its derivation).
// The returned thread is waited for when it goes.
std::jthread prepareKnowledgeDb();

// After the folders are known: loads the stored login (account, token,
// nickname) from the per-user store.
void loadStoredAccount();

// Uninstall run and normal start: primes the usage reporter with the
// statistics host, application id 1, OS name, channel code, installed
// version, machine code and OS bitness. Sends nothing.
void primeUsageReporter();

// Uninstall run: sends the uninstallation report (type 2) synchronously; its
// outcome is ignored.
void sendUninstallReport();

// Machine-code run: computes the machine code and stores it.
void runMakeMachine();

// Normal start, after the skin is loaded: starts the once-a-day update check
// unless a check is still running.
void startDailyUpdateCheck();

// Shutdown (every run): stops the update checker's worker and waits for it;
// a worker that stays blocked past its grace time ends with the process
// (this function then does not return; the exit code is 0).
void shutdownPlugins();

}  // namespace norvane::plugins
