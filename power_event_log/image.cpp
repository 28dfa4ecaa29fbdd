// PowerEventLogSmm as an image: its library steps and its entry, run through the exit
// context. Constant data only: the firmware image has no start-up code to build it.
#include "power_event_log/library_steps.h"
#include "power_event_log/power_event_log.h"

constinit const IMAGE_DESCRIPTOR gImageDescriptor = {
    &gPowerEventLogInitialisers, &gPowerEventLogTearDowns, PowerEventLogSmmEntry, TRUE, 0,
};
