program Billing;

uses
  Forms,
  Invoice in 'Invoice.pas',
  Customer in 'Customer.pas' {CustomerForm};

begin
  Application.Initialize;
  Application.CreateForm(TCustomerForm, CustomerForm);
  Application.Run;
end.
