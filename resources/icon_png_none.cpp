// BitmapsAsPng for the builds without libpng (the Windows build of vornix): every image stays as it
// is, so an icon that does not fit as given is refused, naming the room there is and the room needed.
#include "resources/icon_png.h"

namespace vornix {

std::vector<IconImage> BitmapsAsPng(const std::vector<IconImage>& Images) { return Images; }

}  // namespace vornix
