#include "serburn/main_flow.h"

#include <cstdio>

#include "serburn/birom.h"
#include "serburn/birom_dialect.h"
#include "serburn/chip_resolver.h"
#include "serburn/command_line.h"
#include "serburn/data_image.h"
#include "serburn/module_protocol.h"

namespace serburn {

namespace {

constexpr uint32_t kBlockAlignment = 512;

bool ConfigError(Reporter& reporter, const std::string& text) {
  return reporter.Error(ErrorClass::Configuration, text);
}

// A range that ends before it starts would program, verify and read nothing.
[[nodiscard]] bool CheckRange(const RunSettings& s, Reporter& reporter) {
  if (s.startAddress <= s.endAddress) return true;
  if (!s.startFromSwitch) return ConfigError(reporter, "StartAddress above EndAddress in CHIPDEF.ini");
  char text[80];
  std::snprintf(text, sizeof text, "bad address in /s parameter (should be 0x4000...0x%lx)",
                static_cast<unsigned long>(s.endAddress));
  return ConfigError(reporter, text);
}

// Checks and chip resolution after parsing, in their fixed order.
[[nodiscard]] bool Configure(RunSettings& s, Reporter& reporter) {
  if (!s.chipName) return ConfigError(reporter, "MCU not selected");
  if (!ResolveChip(s, reporter)) return false;
  if (s.moduleFileName.empty()) {
    return ConfigError(reporter, "file for loading into RAM is not specified (use /KV4xxx or /d parameter)");
  }
  if (!s.stopAfterStart && !s.dataFileName.empty() && !s.anyCommand()) {
    s.erase = s.check = s.program = true;
    reporter.Info("Default mode, commands: /e /c /p");
  }
  if ((s.program || s.verify || s.read) && s.dataFileName.empty()) {
    return ConfigError(reporter, "file for program/verify/read operation is not specified");
  }
  if (s.startAddress % kBlockAlignment != 0) return ConfigError(reporter, "bad flash start address, not multiple 512");
  return CheckRange(s, reporter);
}

// The data file and the read-out target, checked before the port is opened so that a
// wrong name or a bad file never costs the chip its contents.
[[nodiscard]] bool PrepareFiles(Session& session) {
  const RunSettings& s = session.settings;
  // A module started with /d ends the run at its start where the dialect stops there.
  if (s.stopAfterStart && s.dialect->stopsAfterStart) return true;
  if ((s.program || s.verify) && !LoadDataImage(s, session.dataImage, session.reporter)) return false;
  if (s.read && !session.readOut.Create(s.dataFileName, session.reporter)) return false;
  return true;
}

// How the part of a run on the port ended.
enum class ConnectResult {
  Done,               // every operation asked for succeeded
  ModuleLeftRunning,  // /d: the module was started and keeps running
  Failed,             // the error was reported
};

// Boot-ROM entry, module download and start, as the dialect does them.
[[nodiscard]] StartResult BringUpModule(Session& session) {
  RunSettings& s = session.settings;
  const BiromDialect& dialect = *s.dialect;
  if (!session.link.SetBaud(s.biromBaud)) return StartResult::Failed;
  if (dialect.autoBaud && s.autoBaud && !AutoBaud(session)) return StartResult::Failed;
  if (!EnterBirom(session)) return StartResult::Failed;
  if (dialect.autoErase && s.autoErase && !AutoErase(session)) return StartResult::Failed;
  if (!DownloadModule(session, s.moduleFileName)) return StartResult::Failed;
  return StartModule(session);
}

// Test connect and the operations asked for, in their fixed order.
[[nodiscard]] bool RunOperations(Session& session) {
  const RunSettings& s = session.settings;
  if (!TestConnect(session)) return false;
  if (s.erase && !Erase(session)) return false;
  if (s.check && !BlankCheck(session)) return false;
  if (s.program && !Program(session)) return false;
  if (s.verify && !Verify(session)) return false;
  if (s.read && !ReadOut(session)) return false;
  return true;
}

// Port, module and operations.
[[nodiscard]] ConnectResult Connect(Session& session) {
  if (!session.link.Open()) return ConnectResult::Failed;
  switch (BringUpModule(session)) {
    case StartResult::Started: break;
    case StartResult::StoppedAfterStart: return ConnectResult::ModuleLeftRunning;
    case StartResult::Failed: return ConnectResult::Failed;
  }
  return RunOperations(session) ? ConnectResult::Done : ConnectResult::Failed;
}

}  // namespace

int RunSerburn(const std::vector<std::string>& args, Environment& env) {
  env.out << '\n' << kBanner;
  env.out.flush();

  RunSettings settings;
  settings.programDirectory = env.programDirectory;
  Reporter reporter(env.out);
  PortLink link(env.port, env.clock, settings, reporter);
  Session session(settings, reporter, link);

  auto closing = [&]() {
    if (link.IsOpen()) link.CloseAfterReset();
    if (env.consumeKey) env.consumeKey();
  };

  const ParseResult parsed = ParseCommandLine(args, settings, reporter);
  if (parsed == ParseResult::Failed) {
    closing();
    return reporter.ExitCode();
  }
  // A question about this machine: nothing else of the command line is done.
  if (settings.listPorts) {
    const std::vector<platform::PortInfo> ports = platform::DiscoverPorts(env.portPlaces);
    env.out << '\n';
    if (ports.empty()) env.out << "no serial ports found\n";
    for (const platform::PortInfo& port : ports) env.out << platform::DescribePort(port) << '\n';
    env.out.flush();
    return 0;
  }
  if (parsed == ParseResult::ResetOnly) {
    // The pulse is this run's whole purpose: a pulse that cannot be sent is reported.
    if (link.Open()) {
      reporter.Info("Generation RESET impuls");
      // A pulse that fails was reported: the exit code says so.
      static_cast<void>(link.ResetPulse(false));
      link.Close();
    }
    closing();
    return reporter.ExitCode();
  }
  if (args.empty() || settings.help) {
    std::string usage = UsageText();
    if (settings.help) usage += BuildDate();
    if (settings.helpToStandardOutput) {
      // Piped or read by a person on Linux: plain line feeds, and success.
      std::string plain;
      for (char c : usage) {
        if (c != '\r') plain += c;
      }
      env.out << plain << '\n' << LinuxUsageText();
      env.out.flush();
      return 0;
    }
    if (env.writeToTerminal) env.writeToTerminal(usage);
    return 1;
  }
  reporter.SetTagged(settings.taggedOutput);
  reporter.SetSingleExitCode(settings.singleExitCode);

  const ConnectResult result =
      Configure(settings, reporter) && PrepareFiles(session) ? Connect(session) : ConnectResult::Failed;
  // The module left running keeps the port and its lines as they are.
  if (result == ConnectResult::ModuleLeftRunning) return 0;
  closing();
  return result == ConnectResult::Done ? 0 : reporter.ExitCode();
}

}  // namespace serburn
