// The process-wide toolkit context.
#include "toolkit/core/instrument.h"
#include "zint.h"

struct Zint_Context {
    // The toolkit keeps its state in its packages; the context only identifies
    // the toolkit instance to calls that ask for it.
    int instance;
};

Zint_Context *zint_GetInit(void) {
    zhc::CountCall("zint_GetInit");
    static Zint_Context context{1};
    return &context;
}
