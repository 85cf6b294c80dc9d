// The About box: caption "(C)Information", icon, program line, notice, version, OK.
#pragma once

#include <QDialog>
#include <string>

class CAboutDlg final : public QDialog {
 public:
  CAboutDlg(QWidget* parent, const std::string& versionText);
};
