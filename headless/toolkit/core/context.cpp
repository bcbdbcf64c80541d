// The process-wide toolkit context.
#include "zint.h"

struct Zint_Context {
    // The toolkit keeps its state in its packages; the context only identifies
    // the toolkit instance to calls that ask for it.
    int instance;
};

Zint_Context *zint_GetInit(void) {
    static Zint_Context context{1};
    return &context;
}
