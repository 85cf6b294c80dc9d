// Letters typed without Alt act as Alt plus the letter in a window: a button whose caption
// has that mnemonic is clicked, a label's mnemonic moves the focus to its buddy. Text
// inputs keep their letters.
#pragma once

class QWidget;

void InstallLetterMnemonics(QWidget* window);
