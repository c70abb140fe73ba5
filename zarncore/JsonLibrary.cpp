// The JSON library's compiled part, as the Windows build has its headers
// only: a static library, so that each program holds one copy.
#include <boost/json/src.hpp>
