#include "foundation/ZPHLibXML.h"

#include <libxml/parser.h>

#include <mutex>

void ZPHInitializeLibXML()
{
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}
