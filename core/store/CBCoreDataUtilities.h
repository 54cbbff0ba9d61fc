#pragma once

class ZPHManagedObjectContext;

// The one save routine of the program: saves a context that has changes;
// a failed save is logged and handed to the application delegate's
// handleCoreDataFailureWithError(), which tells the user and quits. The
// caller must not go on working with a context whose save failed.
void CBSaveManagedObjectContext(ZPHManagedObjectContext* context);
