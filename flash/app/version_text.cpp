#include "flash/app/version_text.h"

#include <cstdio>

#ifndef FLASH_PRODUCT_VERSION_MS
#define FLASH_PRODUCT_VERSION_MS 0
#define FLASH_PRODUCT_VERSION_LS 0
#define FLASH_PRODUCT_PRERELEASE 0
#define FLASH_NO_VERSION 1
#endif

std::string FormatVersionText(uint32_t mostSignificant, uint32_t leastSignificant,
                              bool preRelease) {
  const unsigned version = mostSignificant & 0xFFFFu;
  const unsigned build = leastSignificant & 0xFFFFu;
  char text[40];
  std::snprintf(text, sizeof text, "V%02u,L%02u", version, build / 100);
  std::string result = text;
  if (preRelease) {
    std::snprintf(text, sizeof text, " b%02u", build % 100);
    result += text;
  }
  return result;
}

std::string ProgramVersionText() {
#ifdef FLASH_NO_VERSION
  return kVersionReadError;
#else
  return FormatVersionText(FLASH_PRODUCT_VERSION_MS, FLASH_PRODUCT_VERSION_LS,
                           FLASH_PRODUCT_PRERELEASE != 0);
#endif
}
