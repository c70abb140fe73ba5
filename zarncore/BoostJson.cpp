// Boost.JSON compiled into the host core, so no separately built library is
// needed on any platform.
#include <boost/json/src.hpp>
