// The guard over the POSIX file service's mapped views of input files. Another program may cut a
// file short under a view, or its device may fail to read a page; an access to such a page raises
// SIGBUS, which by default ends the process. Inside a registered view the guard puts a page of
// zeros in its place instead and records the fault for the file, so that the job runs to its end
// and then refuses the file; a SIGBUS anywhere else ends the process as before.
#pragma once

#include <cstddef>

namespace guardedviews {

// Registers the view of `length` bytes at `base`, mapped from `descriptor`, installing the guard
// first if need be. False when the view cannot be guarded (no free slot, a descriptor beyond those
// the guard records, no handler): the view must then be unmapped unused.
bool Register(const void* base, std::size_t length, int descriptor);

// Called before the view at `base` is unmapped.
void Unregister(const void* base);

// Whether an access through a view of `descriptor` met a page that was gone since Forget.
bool Faulted(int descriptor);

// Clears the faults recorded for `descriptor`, when it is opened anew.
void Forget(int descriptor);

}  // namespace guardedviews
