// Sound notices: wave files played asynchronously and the simple beep. One player for the
// program, so a new sound (or Stop) always stops the one still playing.
#pragma once

#include <string>

class QSoundEffect;

class SoundPlayer {
 public:
  static SoundPlayer& Instance();
  // Stops whatever plays, then starts the wave file; silent when it cannot be played.
  void PlayWaveFile(const std::string& path);
  void Stop();
  void Beep();
  // The file started last (empty after Stop); lets tests see what was asked for.
  const std::string& LastStarted() const { return lastStarted_; }
  int BeepCount() const { return beeps_; }

 private:
  SoundPlayer() = default;
  QSoundEffect* effect_ = nullptr;
  std::string lastStarted_;
  int beeps_ = 0;
};
