#ifndef qvwr_transform_image_h_
#define qvwr_transform_image_h_
// Nearest-neighbour resampling of an 8-bit image to display resolution.
// displayArea tells which widget pixels an image covers under an
// image-to-display transform; transform fills caller-provided rows with
// what each of those pixels shows.  Only identity and zoom-only
// transforms are handled.
#include <vgl/vgl_box_2d.h>
#include <vimt/vimt_image_2d_of.h>
#include <vimt/vimt_transform_2d.h>
#include <vxl_config.h>

class qvwr_transform_image
{
 public:
  // Widget pixels (inclusive corners) that the image with index box
  // image_box fills under i2d, clipped to a display_width x display_height
  // widget (rows may reach display_height, one below the last).  Runs from
  // the centre of the first image pixel to that of the last.  Empty box
  // (min (1,1), max (0,0)) when no display pixel is covered.
  vgl_box_2d<int> displayArea(int display_width, int display_height,
                              const vgl_box_2d<int>& image_box, vimt_transform_2d& i2d);

  // Fills nj rows of ni output pixels: one byte per pixel (plane 0) for
  // images of 1 or 2 planes, one 32-bit word R*65536 + G*256 + B for 3 or 4
  // planes (a fourth, alpha, plane is not shown).  i2a maps image to output
  // pixel coordinates.  Aborts on a transform that is neither identity nor
  // zoom-only.  interpolate is accepted for the interface; sampling is
  // always nearest-neighbour.
  void transform(unsigned char** rows, int ni, int nj, const vimt_image_2d_of<vxl_byte>& image,
                 const vimt_transform_2d& i2a, bool interpolate, bool hist_eq);

  // The plane dispatch of transform, without the check of the form.
  void zoomNNBP(unsigned char** rows, int ni, int nj, const vimt_image_2d_of<vxl_byte>& image,
                const vimt_transform_2d& i2a, bool hist_eq);

  // Plane 0 into one byte per output pixel, equalised over the output
  // when hist_eq is set.
  void zoomNNBP1(unsigned char** rows, int ni, int nj, const vimt_image_2d_of<vxl_byte>& image,
                 const vimt_transform_2d& i2a, bool hist_eq);

  // Planes 0, 1, 2 into one 32-bit word per output pixel, 0xffRRGGBB.
  void zoomNNBP3(unsigned char** rows, int ni, int nj, const vimt_image_2d_of<vxl_byte>& image,
                 const vimt_transform_2d& i2a);

  // Columns i0 .. i0+w-1 of rows j0 .. j0+h-1 of the ni x nj picture that
  // zoomNNBP gives without equalisation, as 32-bit words 0xffRRGGBB: colour
  // as zoomNNBP3 writes it, plane 0 of 1 or 2 planes through grey (256
  // entries).  Pixel (i0 + i, j0 + j) goes to word i of out[j], so that a
  // part can be written wherever it is shown, such as a window's pixels.
  void zoomPart(unsigned char** out, int i0, int j0, int w, int h, int ni, int nj,
                const vimt_image_2d_of<vxl_byte>& image, const vimt_transform_2d& i2a,
                const vxl_uint_32* grey);
};

#endif
