#include <iostream>

int main()
{
  std::cerr << "tessaly: the main window is not built yet\n";
  return 1;
}
