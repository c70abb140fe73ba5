// The JSON library's compiled part, built into the host core: the Windows
// build has the library's headers only.
#include <boost/json/src.hpp>
