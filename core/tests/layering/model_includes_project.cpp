// Must not compile: the model layer cannot see the storage layer's headers.
#include "kestro/project/local_src.hpp"
