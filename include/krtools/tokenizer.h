// KRStringTokenizer.
#ifndef KRTOOLS_TOKENIZER_H
#define KRTOOLS_TOKENIZER_H

#include "krtools/export.h"

#endif  // KRTOOLS_TOKENIZER_H
