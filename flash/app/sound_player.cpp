#include "flash/app/sound_player.h"

#include <QApplication>
#include <QFileInfo>
#ifndef FLASH_NO_MULTIMEDIA
#include <QSoundEffect>
#endif
#include <QUrl>

SoundPlayer& SoundPlayer::Instance() {
  static SoundPlayer player;
  return player;
}

void SoundPlayer::PlayWaveFile(const std::string& path) {
  Stop();
  const QString file = QString::fromStdString(path);
  if (file.isEmpty() || !QFileInfo(file).isFile()) return;  // no default sound for a missing file
#ifndef FLASH_NO_MULTIMEDIA
  if (effect_ == nullptr) effect_ = new QSoundEffect(qApp);
  effect_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
  effect_->play();
#endif
  lastStarted_ = path;
}

void SoundPlayer::Stop() {
#ifndef FLASH_NO_MULTIMEDIA
  if (effect_ != nullptr) effect_->stop();
#endif
  lastStarted_.clear();
}

void SoundPlayer::Beep() {
  ++beeps_;
  QApplication::beep();
}
