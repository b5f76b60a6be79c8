#include "modelbase.h"

ModelBase::~ModelBase() = default;
