#pragma once

namespace os {

// This process's number, as the system shows it to others.
long processId();

} // namespace os
