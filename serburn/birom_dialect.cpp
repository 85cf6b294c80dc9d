#include "serburn/birom_dialect.h"

namespace serburn {

const BiromDialect& BiromDialectFor(Series series, int32_t seriesNumber) {
  if (series != Series::KV41) return kKV40Birom;
  return seriesNumber == kOlderBootRomKV41Series ? kOlderKV41Birom : kNewerKV41Birom;
}

}  // namespace serburn
