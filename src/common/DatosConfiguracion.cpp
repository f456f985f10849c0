#include "common/DatosConfiguracion.h"

DatosConfiguracion configuracionquorvina;
