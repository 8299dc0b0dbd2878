extern "C" int c4d_main(int, void*, void*, void*) { return -1; }
