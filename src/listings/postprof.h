#pragma once
// postprof: the listing drivers that walk the coverage database.
namespace qar {

// Writes the execution profile listing, or with `untested` the untested code
// listing, to the open listing stream: header block, files, summary.
void writeCoverageListing(bool untested);

// Writes the execution time listing to the open listing stream.
void writeTimingListing();

}  // namespace qar
