#include <shape_data/vsml_bezier_node.h>

std::ostream& operator<<(std::ostream& os, const vsml_bezier_node& n)
{
  return os << n.point() << ", " << n.c1() << ", " << n.c2();
}
