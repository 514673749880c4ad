// krtools: every exported header of the library.
#ifndef KRTOOLS_KRTOOLS_H
#define KRTOOLS_KRTOOLS_H

#include "krtools/asn1.h"
#include "krtools/bufenc.h"
#include "krtools/cert.h"
#include "krtools/console.h"
#include "krtools/datetime.h"
#include "krtools/des.h"
#include "krtools/digest.h"
#include "krtools/exception.h"
#include "krtools/export.h"
#include "krtools/file.h"
#include "krtools/ini.h"
#include "krtools/mailer.h"
#include "krtools/params.h"
#include "krtools/pbe.h"
#include "krtools/safestring.h"
#include "krtools/stream.h"
#include "krtools/strutil.h"
#include "krtools/tokenizer.h"
#include "krtools/toolkit.h"

#endif  // KRTOOLS_KRTOOLS_H
