// A program that links every object of the core library and nothing of the lists: the build
// fails when the core calls anything of rom/listing/.
int main() { return 0; }
