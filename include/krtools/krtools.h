// krtools: every exported header of the library.
#ifndef KRTOOLS_KRTOOLS_H
#define KRTOOLS_KRTOOLS_H

#include "krtools/export.h"
#include "krtools/exception.h"
#include "krtools/console.h"
#include "krtools/safestring.h"
#include "krtools/strutil.h"
#include "krtools/tokenizer.h"
#include "krtools/stream.h"
#include "krtools/bufenc.h"
#include "krtools/asn1.h"
#include "krtools/toolkit.h"
#include "krtools/digest.h"
#include "krtools/pbe.h"
#include "krtools/des.h"
#include "krtools/cert.h"
#include "krtools/ini.h"
#include "krtools/params.h"
#include "krtools/file.h"
#include "krtools/datetime.h"
#include "krtools/mailer.h"

#endif  // KRTOOLS_KRTOOLS_H
