/* Every host toolkit package. */
#ifndef ZHOST_H
#define ZHOST_H

#include "ztypes.h"
#include "zerr.h"
#include "zdlm.h"
#include "zstr.h"
#include "ztxt.h"
#include "zmsc.h"
#include "zfio.h"
#include "zcvt.h"
#include "zgda.h"
#include "zint.h"
#include "zimg.h"
#include "zprj.h"
#include "zxfr.h"
#include "zpho.h"
#include "zblk.h"
#include "zzml.h"
#include "zzui.h"
#include "zsel.h"
#include "zdis.h"
#include "zvis.h"

#endif
