// libepoxy's WGL header turns the wgl* names into its own dispatch, so only this
// file includes it: the backend calls Windows' wglMakeCurrent itself and then
// tells epoxy here.
#include <epoxy/wgl.h>

namespace Stimulark {

void contextMadeCurrent() { epoxy_handle_external_wglMakeCurrent(); }

} // namespace Stimulark
