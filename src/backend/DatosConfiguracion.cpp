#include "backend/DatosConfiguracion.h"

DatosConfiguracion configuracionquorvina;
