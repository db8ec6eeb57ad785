#include "vnlib/domain/context/VnBookStoreContextSubobject.h"

PLAT_DEFINE_CLASS(VnBookStoreContextSubobject, VndObject, PLAT_NO_METHODS)
