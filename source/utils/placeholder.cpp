int corvane_placeholder_format() { return 0; }
