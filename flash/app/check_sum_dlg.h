// CCheckSumDlg: the check sum of the chosen hex file over the chip's flash areas for a
// fill byte the user types, computed without a target.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QLineEdit;

class CCheckSumDlg final : public QDialog {
 public:
  // checksum(fill) returns the sum modulo 65536, or 0x10000 when the file cannot be loaded.
  CCheckSumDlg(QWidget* parent, std::function<uint32_t(uint8_t)> checksum);
  // The Check SUM button of the dialog.
  void OnCheckSum();
  QString fillText = QStringLiteral("FF");
  QString resultText;

 private:
  std::function<uint32_t(uint8_t)> checksum_;
  QLineEdit* fill_ = nullptr;
  QLineEdit* result_ = nullptr;
};
