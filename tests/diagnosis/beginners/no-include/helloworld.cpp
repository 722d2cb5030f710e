int main()
{
    printf("Hello World!\n");
    return 0;
}
