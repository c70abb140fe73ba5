// Boost.JSON compiled into this library from its headers, as the Windows
// build has no compiled Boost libraries.
#include <boost/json/src.hpp>
