// The file choosers of the program in one place: the hex file Open, the wave file Open of
// the Sound page and the Save As of Copy. Tests replace them with scripted answers.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct FileDialogRequest {
  QString filter;            // Qt filter list, ";;"-separated
  QString directory;         // where to start; empty: the current directory
  QString initialName;       // preset file name; may be empty
  QString defaultExtension;  // appended to a typed name without one (Save As)
};

struct FileDialogs {
  // The full path of an existing file, or nothing when cancelled.
  std::function<std::optional<QString>(QWidget*, const FileDialogRequest&)> openFile;
  // The full path to write, or nothing when cancelled; replacing a file asks first.
  std::function<std::optional<QString>(QWidget*, const FileDialogRequest&)> saveFile;
};

// Where a dialog asked to start at path starts: path itself when it is a directory, else the
// directory that holds the file it names (the name is never preset); empty stays empty.
QString DirectoryToStartIn(const QString& path);

// The dialogs in use (initially the Qt file dialogs).
FileDialogs& AppFileDialogs();

// "desc|patterns|desc|patterns||" as the filter strings of the program are written, turned
// into Qt's "desc (patterns);;desc (patterns)" form.
QString QtFilterFromBarList(const QString& barList);
