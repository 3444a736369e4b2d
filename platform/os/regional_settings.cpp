#include "platform/os/regional_settings.h"

namespace os {

RegionalSettings neutralRegionalSettings()
{
    return {
        ".",
        "d MMM yyyy",
        "HH:mm:ss",
        "AM",
        "PM",
        {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
        {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
         "November", "December"},
        {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
        {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    };
}

} // namespace os
