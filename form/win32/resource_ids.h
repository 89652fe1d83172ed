#ifndef TARNWICK_RESOURCE_IDS_H
#define TARNWICK_RESOURCE_IDS_H

// Shared by tarnwick.rc and the program's code, so both name a resource alike.

// The program's icon: the first icon group, the one Explorer shows for the file.
#define TARNWICK_ICON 1

#endif
