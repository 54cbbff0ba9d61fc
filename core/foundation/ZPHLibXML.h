#pragma once

// Sets libxml2 up once for the process. Its set-up is not safe to run on two
// threads at once, so every reader of feeds, pages and markup calls this
// first rather than keeping a once-flag of its own.
void ZPHInitializeLibXML();
