program demo;

uses
  Greeting;

begin
  WriteLn(Hello('world'));
end.
