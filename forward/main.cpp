// tolvik-forward: follows the kiosk's data file and forwards every record to the office's
// PostgreSQL table, exactly once, beside the kiosk and apart from it (its own service), so that no
// network or database fault can reach the visitor's screen.

#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>

#include "app/KioskSettings.h"
#include "forward/Forwarder.h"
#include "kit/base/Log.h"
#include "kit/base/Options.h"
#include "survey/DataFile.h"

#ifndef TOLVIK_VERSION
#define TOLVIK_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  bool once = false, version = false;
  kit::CommandLine line = kit::parseCommandLine(
      argc, argv,
      {{"once", &once,
        "Send the records the data file holds now, then exit (status 1 when the office's "
        "database was not reached)"},
       {"version", &version, "Print the version and exit"}},
      "",
      "Forwards every record of the kiosk's data file (TolvikData.txt in the Documents folder) to\n"
      "the office's PostgreSQL database set in kiosk.conf ([Collect] Database=), exactly once.",
      0);
  if (line.exitStatus) return *line.exitStatus;
  if (version) {
    std::printf("tolvik-forward %s\n", TOLVIK_VERSION);
    return 0;
  }
  KioskSettings settings = loadKioskSettings(kioskSettingsFiles());
  if (settings.collect.database.empty()) {
    kit::log("No office database is set ([Collect] Database= in kiosk.conf): nothing to forward");
    return 0;
  }

  // SIGTERM (systemd's stop) and SIGINT end every wait at once, through a descriptor.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    kit::log("Cannot wait for signals: %m");
    return 1;
  }
  Forwarder forwarder({settings.collect.database, settings.collect.kiosk, survey::dataFilePath()},
                      stopFd);
  return forwarder.run(once ? Forwarder::Until::AllSent : Forwarder::Until::Stopped);
}
