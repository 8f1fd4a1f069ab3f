// A shared library assembled from static area libraries needs one source of its own.
