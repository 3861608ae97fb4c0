#ifndef vsl_indent_h_
#define vsl_indent_h_
// Indentation for summaries printed to text streams.  Each std::ostream keeps
// its own level and tab width (2 blanks by default); `os << vsl_indent()`
// writes level * tab blanks.
#include <ostream>

class vsl_indent
{
};

std::ostream& operator<<(std::ostream& os, const vsl_indent& indent);

// Raise or lower the indentation level of os by one (never below 0).
void vsl_indent_inc(std::ostream& os);
void vsl_indent_dec(std::ostream& os);
// Tab width in blanks for os.
void vsl_indent_set_tab(std::ostream& os, int tab);
int vsl_indent_tab(std::ostream& os);
// Level 0 and the default tab for os.
void vsl_indent_clear(std::ostream& os);
// Level 0 and the default tab for every stream.
void vsl_indent_clear_all_data();

#endif
