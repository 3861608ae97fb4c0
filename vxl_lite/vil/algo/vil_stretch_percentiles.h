#ifndef vil_stretch_percentiles_h_
#define vil_stretch_percentiles_h_
// Any image brought to 8 bits by stretching the range that holds most of its
// values, so that a few extreme pixels (hot pixels, a saturated spot) do not
// squeeze the rest into a handful of grey levels.
#include <vil/vil_image_view.h>
#include <vil/vil_image_view_base.h>
#include <vxl_config.h>

// Maps src, of any scalar pixel type and any number of planes, onto dest
// (same size and planes): the values at the fractions lo_fraction and
// hi_fraction (0 <= lo_fraction <= hi_fraction <= 1) of its finite samples,
// taken over all planes, become 0 and 255; values between them are mapped
// in proportion and rounded, values beyond them held at 0 or 255.  The
// value at fraction f is the sample of rank f * (n - 1), rounded, among the
// n finite samples in ascending order.  Not-a-number and infinite samples
// take no part in the ranks; NaN and -inf map to 0, +inf to 255.  lo and hi
// get the two values.  Memory beyond dest is a fixed 512 KiB, whatever the
// image's size.  False, with dest untouched, when src has no finite sample
// (or an unknown pixel type).
bool vil_stretch_percentiles(const vil_image_view_base& src, double lo_fraction, double hi_fraction,
                             vil_image_view<vxl_byte>& dest, double& lo, double& hi);

#endif
