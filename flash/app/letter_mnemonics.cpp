#include "flash/app/letter_mnemonics.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QWidget>

namespace {

// The mnemonic letter of a caption ("&Open" -> 'O'), or 0; "&&" is a literal ampersand.
QChar MnemonicOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&')) continue;
    if (caption[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return caption[i + 1].toUpper();
  }
  return QChar();
}

void ActivateMnemonic(QWidget* window, QChar letter) {
  const QList<QWidget*> children = window->findChildren<QWidget*>();
  for (QWidget* child : children) {
    if (child->window() != window || !child->isVisible() || !child->isEnabled()) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(child)) {
      if (MnemonicOf(button->text()) != letter) continue;
      button->setFocus(Qt::ShortcutFocusReason);
      button->click();
      return;
    }
    if (auto* label = qobject_cast<QLabel*>(child)) {
      if (label->buddy() == nullptr || MnemonicOf(label->text()) != letter) continue;
      if (!label->buddy()->isEnabled()) continue;
      label->buddy()->setFocus(Qt::ShortcutFocusReason);
      return;
    }
  }
}

}  // namespace

void InstallLetterMnemonics(QWidget* window) {
  for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
    auto* shortcut = new QShortcut(QKeySequence(key), window);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    const QChar letter(static_cast<char16_t>(u'A' + (key - Qt::Key_A)));
    QObject::connect(shortcut, &QShortcut::activated, window,
                     [window, letter] { ActivateMnemonic(window, letter); });
  }
}
