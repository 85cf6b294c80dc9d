// A scripted stand-in for the user and the screen: answers every question the link asks
// (reset prompt, CRC retry, Save As, the button of the progress window) from a script and
// records, in order, everything the user would have seen or heard.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flash/link/user_interface.h"

namespace flash::testing {

class ScriptedUi final : public UserInterface {
 public:
  // One thing the user saw or heard, as text: "form 8", "title Download", "info  Erasing",
  // "icon error", "caption OK", "bar 0 8 1 0", "pos 3", "step", "wait", "box <caption>|<icon>|
  // <owner>|<text>", "reset?", "crc? <text>", "save? <filter>|<ext>|<dir>", "beep",
  // "wave <path>", "state downloaded"/"state not downloaded", "focus chip list",
  // "create progress", "destroy progress".
  std::vector<std::string> log;

  // ---- Script -------------------------------------------------------------------------
  // Called when the reset prompt appears; returns the answer (true = OK). The default
  // presses OK.
  std::function<bool()> onReset;
  // Answers to the CRC retry question, in order; true = Yes. Empty: No.
  std::deque<bool> crcAnswers;
  // The Save As choice (std::nullopt = Cancel).
  std::optional<std::string> savePath;
  // The user presses Cancel when the bar is set to this position (-1: never).
  int cancelAtPos = -1;
  // The user presses Cancel at this call of IsCancelled while the button is active, counted
  // from 1 over the whole run (0: never).
  int cancelAtPoll = 0;
  // The progress window cannot be created.
  bool failCreate = false;

  // ---- Queries --------------------------------------------------------------------------
  std::vector<std::string> InfoTexts() const;  // every information text shown, in order
  std::vector<std::string> Boxes() const;      // every message box, as logged
  bool Saw(const std::string& entry) const;    // an exact log entry
  bool SawText(const std::string& fragment) const;  // any entry containing fragment
  int Count(const std::string& entry) const;
  // Positions set on the bar and titles shown, in order.
  std::vector<int> positions;
  std::vector<std::string> titles;
  int polls = 0;  // IsCancelled calls with the button active
  bool progressOpen = false;
  bool downloadedShown = false;
  int createdProgressWindows = 0;

  // UserInterface
  std::unique_ptr<ProgressWindow> CreateProgressWindow() override;
  void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                      BoxOwner owner) override;
  bool AskResetTarget(const std::string& text, const std::string& caption) override;
  bool AskCrcRetry(const std::string& text, const std::string& caption) override;
  std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) override;
  void Beep() override { log.push_back("beep"); }
  void PlayWaveFile(const std::string& path) override { log.push_back("wave " + path); }
  void ShowDownloadState(bool downloaded) override;
  void FocusChipList() override { log.push_back("focus chip list"); }
  void PumpEvents() override {}
};

const char* IconName(MessageIcon icon);

}  // namespace flash::testing
