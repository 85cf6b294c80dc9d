// What the target-link operations need of the user and of the screen, and nothing more.
// The operations (download, erase, blank check, program & verify, read & compare, copy,
// Full Operation) run to completion on the GUI thread and reach the user only through
// these two interfaces: ProgressWindow is the small modeless window of one command (forms,
// information text, bar, title, icon, one button, a polled cancel flag, a blocking wait for
// the button), and UserInterface is the main window's side (creating that progress window,
// message boxes, the reset prompt, the CRC retry question, the Save As choice, the two
// event sounds, the download state of the command buttons, pumping events). The Qt window
// implements both; tests use a scripted double that answers every question and records
// what the user would have seen. No call may spin: every wait for the user blocks on the
// event loop. Texts arrive complete (already from the string table, UTF-8, with "\r\n"
// line breaks as the message table writes them); the implementation only shows them.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace flash {

// Icons of the progress window's icon control and of message boxes.
enum class MessageIcon {
  kNone,
  kInformation,  // notices
  kExclamation,  // errors; every report shown in a message box that is not a notice
  kError,        // the stop ("hand") icon: fatal errors in the progress window
  kQuestion,     // the CRC retry question
};

// Bits of a progress-window form.
enum FormBits : int {
  kFormOkCaption = 1,      // the button reads "Ok"
  kFormCancelCaption = 2,  // the button reads "Cancel" (only when bit 1 is clear)
  kFormButtonActive = 4,   // the button is enabled, focused, and its presses count
  kFormBar = 8,            // the progress bar is enabled
};
// The forms the operations use.
inline constexpr int kFormTextOnly = 0;       // icon and text only (window cut above the bar)
inline constexpr int kFormBarNoButton = 8;    // text and bar (window cut above the button)
inline constexpr int kFormMessage = 13;       // text, bar, active "Ok" button
inline constexpr int kFormCancellable = 14;   // text, bar, active "Cancel" button
inline constexpr int kFormDefault = -1;       // stands for kFormMessage

// The progress window of one command. Created by UserInterface::CreateProgressWindow with
// lower 0, upper 100, step 1, form 13 and no cancel pending; while it exists the main
// window is disabled. Destroying the object closes the window and enables the main
// window again.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;

  // Applies a form (bits above; -1 means 13): button caption "Ok", "Cancel" or empty;
  // bit 4 enables and focuses the button and makes its presses count, else disables it;
  // bit 8 enables the bar. centre: centre on the main window. title: new window title,
  // or std::nullopt to keep it. The height follows the form: form 0 shows icon and text
  // only, form 8 text and bar, every other form the whole window. Shows the window.
  virtual void SetForm(int form, bool centre, const std::optional<std::string>& title) = 0;
  // Several lines of information text ("\r\n" or "\n" breaks); repainted at once.
  virtual void SetInfoText(const std::string& text) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetIcon(MessageIcon icon) = 0;
  // Changes only the button's caption (the form, and so the button's state, stay).
  virtual void SetButtonCaption(const std::string& caption) = 0;

  // The bar. SetPos and StepIt also set the title to "%d / %d" of (new position, upper)
  // and process pending events; GetPos processes pending events too.
  virtual void InitBar(int lower, int upper, int step, int position) = 0;  // SetRange, SetStep, SetPos
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetStep(int step) = 0;
  virtual int SetPos(int position) = 0;  // returns the previous position
  virtual int StepIt() = 0;              // returns the previous position
  virtual int GetPos() = 0;

  // While the button is active: processes pending events, then returns whether the
  // button (or Escape) was pressed since the last call, and forgets the press. While the
  // button is not active: returns false at once and keeps a pending press. Enter never
  // counts as a press.
  virtual bool IsCancelled() = 0;
  // Blocks on the event loop, with the window working, until the user presses the
  // (active) button, and consumes that press; returns at once if a press is pending.
  // Same outcome as calling IsCancelled until it returns true, without using the CPU.
  virtual void WaitForButton() = 0;
};

// Which window owns a message box.
enum class BoxOwner { kMainWindow, kProgressWindow };

// The Save As choice of Copy.
struct SaveFileRequest {
  // Windows-style filter list: "description|patterns|description|patterns||", patterns
  // separated by ';', for example "Intel Hex files (*.hex)|*.hex|all files (*.*)|*.*||".
  std::string filter;
  // Appended (with a dot) to a name the user typed without an extension: "mhx" or "hex".
  std::string defaultExtension;
  // Directory (or a file path whose directory is meant) to start in; may be empty.
  std::string initialDirectory;
  // No file name is preset. Replacing an existing file asks the user first.
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A new progress window owned by the main window (which it disables), or nullptr when
  // it cannot be created. The operations never hold two at a time.
  virtual std::unique_ptr<ProgressWindow> CreateProgressWindow() = 0;

  // Modal message box with one OK button; returns when it is closed.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                              MessageIcon icon, BoxOwner owner) = 0;
  // The reset prompt of the download: OK and Cancel buttons, information icon, owned by
  // the progress window. Returns true for OK. The user resets the board before pressing OK.
  virtual bool AskResetTarget(const std::string& text, const std::string& caption) = 0;
  // The CRC retry question: Yes and No buttons, question icon, owned by the progress
  // window. Returns true for Yes.
  virtual bool AskCrcRetry(const std::string& text, const std::string& caption) = 0;
  // The Save As dialog of Copy: the chosen full path, or std::nullopt when cancelled.
  virtual std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) = 0;

  // Event sounds. Beep: the system's simple beep. PlayWaveFile: stop whatever sound this
  // program plays, then start the wave file asynchronously; silent when it cannot be played.
  virtual void Beep() = 0;
  virtual void PlayWaveFile(const std::string& path) = 0;

  // The download state of the main window's command buttons: downloaded enables all
  // seven; not downloaded enables only Download and Full Operation. Also refreshes and
  // repaints the main window.
  virtual void ShowDownloadState(bool downloaded) = 0;
  // Gives the keyboard focus to the Target Microcontroller list.
  virtual void FocusChipList() = 0;

  // Processes the events that are waiting (repaint, the progress window's button), then
  // returns; never waits for new ones.
  virtual void PumpEvents() = 0;
};

}  // namespace flash
