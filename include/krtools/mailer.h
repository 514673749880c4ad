// The SMTP mailer.
#ifndef KRTOOLS_MAILER_H
#define KRTOOLS_MAILER_H

#include "krtools/export.h"

#endif  // KRTOOLS_MAILER_H
