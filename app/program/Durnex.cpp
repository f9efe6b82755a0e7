// The one application object, constructed before main runs.
#include "app/CTervaneApp.h"

CTervaneApp theApp;
